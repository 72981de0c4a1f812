#include "explorercommand/subcommandenumerator.h"

#include <algorithm>
#include <new>
#include <utility>

#include "com/errorbarrier.h"

SubCommandEnumerator::SubCommandEnumerator(std::shared_ptr<const CommandList> commands, size_t position)
    : commands(std::move(commands)), position(position) {}

const QITAB SubCommandEnumerator::interfaceTable[] = {
    {&IID_IEnumExplorerCommand, OFFSETOFCLASS(IEnumExplorerCommand, SubCommandEnumerator)},
    {nullptr, 0},
};

HRESULT STDMETHODCALLTYPE SubCommandEnumerator::Next(ULONG count, IExplorerCommand** out, ULONG* fetched) try {
  if (fetched) *fetched = 0;
  if (!out) return E_POINTER;
  // Only a caller that asks for one item may leave out the count.
  if (count > 1 && !fetched) return E_INVALIDARG;
  ULONG given = 0;
  while (given < count && position < commands->size()) {
    IExplorerCommand* command = (*commands)[position++].Get();
    command->AddRef();
    out[given++] = command;
  }
  if (fetched) *fetched = given;
  return given == count ? S_OK : S_FALSE;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE SubCommandEnumerator::Skip(ULONG count) try {
  const size_t left = commands->size() - position;
  position += std::min<size_t>(count, left);
  return count <= left ? S_OK : S_FALSE;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE SubCommandEnumerator::Reset() try {
  position = 0;
  return S_OK;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE SubCommandEnumerator::Clone(IEnumExplorerCommand** copy) try {
  if (!copy) return E_POINTER;
  *copy = nullptr;
  auto* clone = new (std::nothrow) SubCommandEnumerator(commands, position);
  if (!clone) return E_OUTOFMEMORY;
  clone->AddRef();
  const HRESULT result = clone->QueryInterface(IID_IEnumExplorerCommand, reinterpret_cast<void**>(copy));
  clone->Release();
  return result;
} CATCH_RETURN()
