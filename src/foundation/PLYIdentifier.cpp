#include "PLYIdentifier.h"

#include <QUuid>

QString PLYIdentifier::newIdentifier() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }
