#pragma once
// Qt's PDF writer stamps each file with the time of writing. This pins it,
// in place and at the same length (so the cross-reference offsets stay
// right), so that the same sources give the same bytes.
#include <QByteArray>

// False when the stamp is not there or not in a known form; the bytes are
// then unchanged.
bool MakePdfStable(QByteArray& pdf);
