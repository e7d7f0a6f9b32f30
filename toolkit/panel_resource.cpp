#include "toolkit/panel_resource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace toolkit_internal {

namespace {

// A Qt Designer document: XML whose root element is <ui>.
bool IsDesignerDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            return xml.name() == QLatin1String("ui");
        }
    }
    return false;
}

bool SameFolder(const std::string& a, const std::string& b) {
    const QString first = QFileInfo(QString::fromStdString(a)).canonicalFilePath();
    return !first.isEmpty() && first == QFileInfo(QString::fromStdString(b)).canonicalFilePath();
}

}  // namespace

ResourcePlaces ProgramPlaces() {
    return {QCoreApplication::applicationDirPath().toStdString(), SURGE_INSTALLED_BIN_DIR,
            SURGE_INSTALLED_RESOURCE_DIR};
}

std::string PanelResourceFile(const std::string& file, const ResourcePlaces& places) {
    const QString name = QString::fromStdString(file);
    if (QDir::isAbsolutePath(name) || !SameFolder(places.program_dir, places.installed_bin_dir) ||
        IsDesignerDocument(name)) {
        return file;
    }
    return places.installed_dir + "/" + file;
}

}  // namespace toolkit_internal
