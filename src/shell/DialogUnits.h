#pragma once
// Dialog-unit layout moved to the platform's widgets so dialogs below the shell share it.
#include "platform/widgets/DialogUnits.h"
