#include "app/tree_images.h"

#include "compare/generation_driver.h"
#include "platform/app_paths.h"

#include <QDesktopServices>
#include <QDir>
#include <QHash>
#include <QUrl>

QString ImageResource(const QString& imageFile) {
    if (imageFile.isEmpty()) return QString();
    QString name = imageFile;
    if (name.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive)) name.chop(4);
    return QStringLiteral(":/icons/") + name + QStringLiteral(".png");
}

// The icon set is compiled into this static library; its resources must be registered by hand.
static void RegisterIcons() { Q_INIT_RESOURCE(icons); }

QIcon TreeImage(const QString& kind) {
    static const bool registered = (RegisterIcons(), true);
    (void)registered;
    static QHash<QString, QIcon> cache;
    const QString key = kind.toCaseFolded();
    auto it = cache.constFind(key);
    if (it != cache.cend()) return it.value();
    const QString resource = ImageResource(GetImageName(kind));
    const QIcon icon = resource.isEmpty() ? QIcon() : QIcon(resource);
    cache.insert(key, icon);
    return icon;
}

