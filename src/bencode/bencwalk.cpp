#include "bencode/bencwalk.h"

BencWalk::Step BencWalk::Advance() {
  if (next) {
    current = next;
    next = nullptr;
    key = {};
    inDict = false;
    first = true;
    top = true;
  } else {
    top = false;
    if (frames.empty()) return Step::Done;
    Frame& frame = frames.back();
    const BencEntity& container = *frame.container;
    if (container.IsList()) {
      if (frame.index >= container.Count()) {
        current = frame.container;
        key = frame.key;
        frames.pop_back();
        return Step::Close;
      }
      first = frame.index == 0;
      current = container.Item(frame.index++);
      key = {};
      inDict = false;
    } else {
      if (frame.entry == container.Entries()->end()) {
        current = frame.container;
        key = frame.key;
        frames.pop_back();
        return Step::Close;
      }
      first = frame.entry == container.Entries()->begin();
      key = frame.entry->first.View();
      current = &frame.entry->second;
      ++frame.entry;
      inDict = true;
    }
  }
  if (current->IsList()) {
    frames.push_back({current, key, 0, {}});
    return Step::OpenList;
  }
  if (current->IsDict()) {
    frames.push_back({current, key, 0, current->Entries()->begin()});
    return Step::OpenDict;
  }
  return Step::Scalar;
}
