// The two programs' profile records.
#pragma once

#include "run/program_profile.h"

const ProgramProfile& quorva_profile();
const ProgramProfile& veldix_profile();
