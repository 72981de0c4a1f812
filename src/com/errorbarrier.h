#pragma once
// Nothing thrown reaches Explorer: every COM method, export and thread body
// ends in one of these.
#include <windows.h>

#include <new>

// Inside a catch block: the HRESULT of the exception being handled.
inline HRESULT ResultFromCaughtException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// Ends a function-try-block of an HRESULT function.
#define CATCH_RETURN() \
  catch (...) {        \
    return ResultFromCaughtException(); \
  }

// Ends a function-try-block or try block that has nothing to report.
#define CATCH_SWALLOW() \
  catch (...) {         \
  }
