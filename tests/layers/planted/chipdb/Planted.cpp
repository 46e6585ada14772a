// A lower layer reaching up: the layering check must refuse this file.
#include "buffer/DataBuffer.h"
#include "chipdb/ChipRecord.h"
