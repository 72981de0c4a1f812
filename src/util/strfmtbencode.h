#pragma once
// The formatter's bencode parts: the %D directive renders a bencoded
// dictionary, and AppendFormat writes into a bencode byte buffer. The only
// files of the formatter that need the bencode layer.
class BencEntity;
class FormatSink;

// %D: the dictionary as JSON, "invalid" for another kind, nothing for null.
bool FormatBencodedDictionary(FormatSink& sink, const BencEntity* entity);
