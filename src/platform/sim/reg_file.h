// .reg files as regedit and `reg export` write them: the reader
// (reg_reader.h) and the writer (reg_writer.h) of the simulated machine's
// registry.reg, and what they share (reg_format.h).
#pragma once

#include "platform/sim/reg_format.h"
#include "platform/sim/reg_reader.h"
#include "platform/sim/reg_writer.h"
