#pragma once
// A depth-first walk over an entity tree with an explicit stack, shared by
// the encoder and the diagnostic rendering, so that no walk recurses to the
// depth of the value.
#include <cstdint>
#include <string_view>
#include <vector>

#include "bencode/bencentity.h"

class BencWalk {
 public:
  enum class Step { Scalar, OpenList, OpenDict, Close, Done };

  explicit BencWalk(const BencEntity& root) : next(&root) {}

  // The next step: a scalar or an opened container is in Entity(); Close
  // ends the innermost open container. Key() names the entity when its
  // parent is a dictionary. May throw std::bad_alloc.
  Step Advance();
  const BencEntity& Entity() const { return *current; }
  std::string_view Key() const { return key; }
  bool InDict() const { return inDict; }
  // Whether the entity is its container's first member.
  bool First() const { return first; }
  // Whether the entity is the root of the walk.
  bool AtTop() const { return top; }

 private:
  struct Frame {
    const BencEntity* container;
    std::string_view key;  // the container's own key in its parent
    uint32_t index;
    BencDict::const_iterator entry;
  };

  std::vector<Frame> frames;
  const BencEntity* next;
  const BencEntity* current = nullptr;
  std::string_view key;
  bool inDict = false;
  bool first = true;
  bool top = true;
};
