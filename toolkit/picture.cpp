// The picture control: a label of the panel resource marked "picture", showing an image file.
#include <QLabel>
#include <QPixmap>

#include "toolkit/internal.h"

using namespace toolkit_internal;

int DisplayImageFile(int panel, int control, const char* fileName) {
    Control* c = FindControl(panel, control);
    if (c == nullptr || c->kind != Kind::PICTURE || fileName == nullptr) {
        return -1;
    }
    auto* label = static_cast<QLabel*>(c->widget.data());
    const QPixmap image(QString::fromUtf8(fileName));
    if (image.isNull()) {
        return -2;
    }
    const QSize room = label->contentsRect().size();
    label->setPixmap(room.width() > 0 && room.height() > 0
                         ? image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                         : image);
    RepaintPanels();
    return 0;
}
