#pragma once
// The delays a GIF file itself gives its frames, in hundredths of a second,
// one per image in file order. Qt's reader reports delays of 0 and 1 as 10
// (what browsers do); players that give such frames a pace of their own need
// the values as written.
#include <QByteArray>

#include <vector>

// Stops at the first malformed block: the delays read so far are returned.
std::vector<int> ReadGifFrameDelays(const QByteArray& data);
