#pragma once
// The images of tree and list nodes: the image file GetImageName names for a kind ("Table",
// "CREATE", "Error", ...), drawn from the program's own icon set (".bmp" names map to the PNG of
// the same name in the resource folder ":/icons").
#include <QIcon>
#include <QString>

QIcon TreeImage(const QString& kind);
// The resource path of a documented image file name, e.g. "SQLTable.bmp" -> ":/icons/SQLTable.png".
QString ImageResource(const QString& imageFile);
