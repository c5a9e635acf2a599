#pragma once
// Windows-1252, the code page the scoreboard writes its print file in. Kept local so the
// print program needs nothing but Qt.
#include <QByteArrayView>
#include <QString>

namespace Cp1252 {
// Latin-1 except for the 32 code points at 0x80-0x9F; the five bytes Windows leaves
// undefined there map to the C1 control of the same value, as Windows itself does.
QString decode(QByteArrayView bytes);
}
