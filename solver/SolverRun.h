#pragma once
// The Execute commands: run the solver in "bin" / "binFGM" and keep its result under the
// component's name there and in "output"/title or "outputFGM"/title.

class COstrelDoc;

void OnExecuteComposite(COstrelDoc& doc);
void OnExecuteFGM(COstrelDoc& doc);
