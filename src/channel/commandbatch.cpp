#include "channel/commandbatch.h"

#include <vector>

#include "channel/pipeclient.h"

HRESULT BuildCommandBatch(CommandAction action, std::vector<std::wstring> paths) {
  try {
    if (!IsCommandAction(action)) return S_OK;
    const InstallScope scope = installScope.load();
    std::wstring pipeName = SelectCommandPipe(scope);
    // Only the per-user application can be started when none is running.
    if (pipeName.empty() && scope != InstallScope::User) return S_OK;
    for (std::wstring& path : paths)
      if (path.size() > maxCommandPathChars) path.clear();
    CommandBatch batch = MakeCommandBatch(action, paths);
    StartDelivery(std::move(pipeName), std::move(batch));
  } catch (...) {
  }
  return S_OK;
}
