#pragma once
// Result curves: the current component copy in "bin"/"binFGM", or a kept one chosen from
// "output"/"outputFGM". Return 1 when a curve was read, 0 otherwise.

class COstrelDoc;

int ReadComResult(COstrelDoc& doc);
int ReadExistingComResult(COstrelDoc& doc);
int ReadFGMResult(COstrelDoc& doc);
int ReadExistingFGMResult(COstrelDoc& doc);
