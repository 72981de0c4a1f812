// Only the files named for bencode may use it.
#include "bencode/bencentity.h"
