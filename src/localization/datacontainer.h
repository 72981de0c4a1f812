#pragma once
// A read-only block of bytes.
#include <cstddef>

class DataContainer {
 public:
  virtual ~DataContainer() = default;
  virtual const unsigned char* Data() const = 0;
  virtual size_t Size() const = 0;
  // 0 when the data is present, otherwise an error code.
  virtual int Status() const = 0;
  // Drops the data; Data() is null and Size() 0 afterwards.
  virtual void Release() = 0;
};
