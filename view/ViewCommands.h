#pragma once
// The curve view's commands, one handler each: the Display commands, the colour, line-width
// and Overview commands, Save bitmap, Print, Print Preview and the Plot menu. The view lies
// below the program's command table, so its handlers are kept here, in the table's form.

#include "CommandTarget.h"

class COstrelView;

// The view's handler of a command, or null when the view does not carry it.
const TCommandHandler<COstrelView>* ViewHandler(int id);
