#include "window/AppIcon.h"

QIcon corvaneIcon()
{
    return QIcon::fromTheme(QStringLiteral("corvane"),
                            QIcon(QStringLiteral(":/icons/corvane.svg")));
}
