// A lower layer reaching up: the layering check must refuse this file.
#include "chipdb/ChipRecord.h"
#include "buffer/DataBuffer.h"
