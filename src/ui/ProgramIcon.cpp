#include "ProgramIcon.h"

namespace tavisk::ui {

QIcon ProgramIcon() {
    QIcon builtIn;
    for (const char* size : {"48", "128", "256"})
        builtIn.addFile(QStringLiteral(":/icons/tavisk-%1.png").arg(QLatin1String(size)));
    return QIcon::fromTheme(QStringLiteral("tavisk"), builtIn);
}

}  // namespace tavisk::ui
