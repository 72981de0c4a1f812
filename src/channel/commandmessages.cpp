#include "channel/commandmessages.h"

#include <new>

#include "bencode/bencodeddict.h"

namespace {
template <typename T>
T* Required(T* stored) {
  if (!stored) throw std::bad_alloc();
  return stored;
}

std::unique_ptr<BencodedDict> NewMessage(CommandAction action) {
  auto message = std::make_unique<BencodedDict>();
  if (!message->IsDict()) throw std::bad_alloc();
  Required(message->SetInt("action", static_cast<int32_t>(action)));
  return message;
}
}  // namespace

bool IsCommandAction(CommandAction action) {
  switch (action) {
    case CommandAction::Download:
    case CommandAction::CancelDownload:
    case CommandAction::RemoveFromThisDevice:
    case CommandAction::RemoveFromAllDevices:
    case CommandAction::Share:
      return true;
  }
  return false;
}

CommandBatch MakeCommandBatch(CommandAction action, const std::vector<std::wstring>& paths) {
  CommandBatch batch;
  if (!IsCommandAction(action)) return batch;
  if (action == CommandAction::Share) {
    auto message = NewMessage(action);
    Required(message->SetInt("last", 1));
    BencEntity* files = Required(message->AddList("files"));
    for (const std::wstring& path : paths)
      if (!path.empty() && !files->AppendWideString(path.c_str())) throw std::bad_alloc();
    batch.push_back(std::move(message));
    return batch;
  }
  for (const std::wstring& path : paths) {
    if (path.empty()) continue;
    auto message = NewMessage(action);
    Required(message->SetWideString("path", path.c_str()));
    batch.push_back(std::move(message));
  }
  // Marked once the skipped items are known, so that it ends the batch.
  if (!batch.empty()) Required(batch.back()->SetInt("last", 1));
  return batch;
}
