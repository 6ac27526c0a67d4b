#include "app_icon.h"

#include <QImage>
#include <QPixmap>

#include "app_icon_image.h"

namespace vellomar {

QIcon AppIcon(IconTint tint)
{
    QIcon icon;
    for (int size : kAppIconSizes) {
        const RgbaImage image = DrawAppIcon(size, tint);
        QImage view(image.pixels.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888);
        icon.addPixmap(QPixmap::fromImage(view.copy()));
    }
    return icon;
}

}  // namespace vellomar
