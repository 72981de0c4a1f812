#include "channel/commandbatch.h"

#include <vector>

#include "channel/pipeclient.h"

namespace {
constexpr UINT pathBufferChars = 32771;

// The selected paths in selection order; an item whose path cannot be read
// whole gives an empty path, which no message carries: a cut path would
// name some other file.
std::vector<std::wstring> ReadDropPaths(HDROP drop, UINT count) {
  std::vector<std::wstring> paths;
  std::vector<wchar_t> buffer(pathBufferChars);
  for (UINT index = 0; index < count; ++index) {
    const UINT needed = DragQueryFileW(drop, index, nullptr, 0);
    const UINT length =
        needed > 0 && needed < pathBufferChars ? DragQueryFileW(drop, index, buffer.data(), pathBufferChars) : 0;
    paths.emplace_back(buffer.data(), length);
  }
  return paths;
}
}  // namespace

HRESULT BuildCommandBatch(CommandAction action, HDROP drop, UINT count) {
  try {
    if (!IsCommandAction(action)) return S_OK;
    const InstallScope scope = installScope.load();
    std::wstring pipeName = SelectCommandPipe(scope);
    // Only the per-user application can be started when none is running.
    if (pipeName.empty() && scope != InstallScope::User) return S_OK;
    CommandBatch batch = MakeCommandBatch(action, drop ? ReadDropPaths(drop, count) : std::vector<std::wstring>());
    StartDelivery(std::move(pipeName), std::move(batch));
  } catch (...) {
  }
  return S_OK;
}
