#pragma once
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>
#include <vector>

#include "com/comobject.h"

using CommandList = std::vector<Microsoft::WRL::ComPtr<IExplorerCommand>>;

// Walks a fixed list of commands; clones share the list, not the position.
class SubCommandEnumerator final : public IEnumExplorerCommand, public ComObject<SubCommandEnumerator> {
 public:
  explicit SubCommandEnumerator(std::shared_ptr<const CommandList> commands, size_t position = 0);
  COM_OBJECT_IUNKNOWN()
  static const QITAB interfaceTable[];

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IExplorerCommand** commands, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumExplorerCommand** copy) override;

 private:
  std::shared_ptr<const CommandList> commands;
  size_t position;
};
