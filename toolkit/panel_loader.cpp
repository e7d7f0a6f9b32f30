#include "toolkit/panel_loader.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QUiLoader>

#include "toolkit/graph_widget.h"
#include "toolkit/panel_resource.h"

namespace toolkit_internal {

namespace {

// Knows the graph control, which Designer shows as a placeholder of class "SurgeGraph".
class PanelUiLoader : public QUiLoader {
  public:
    QWidget* createWidget(const QString& class_name, QWidget* parent,
                          const QString& name) override {
        if (class_name == QLatin1String("SurgeGraph")) {
            auto* graph = new GraphWidget(parent);
            graph->setObjectName(name);
            return graph;
        }
        return QUiLoader::createWidget(class_name, parent, name);
    }
};

QWidget* FindPanelWidget(QWidget* root, int resource_id) {
    if (root->property("panelId").toInt() == resource_id) {
        return root;
    }
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (child->property("panelId").toInt() == resource_id) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<QWidget> BuildPanel(const char* file, int resource_id, int* status) {
    QFile resource(QString::fromStdString(PanelResourceFile(file, ProgramPlaces())));
    if (!resource.open(QIODevice::ReadOnly)) {
        *status = -1;
        return nullptr;
    }
    PanelUiLoader loader;
    std::unique_ptr<QWidget> root(loader.load(&resource, nullptr));
    if (!root) {
        *status = -1;
        return nullptr;
    }
    QWidget* panel = FindPanelWidget(root.get(), resource_id);
    if (panel == nullptr) {
        *status = -2;
        return nullptr;
    }
    *status = 0;
    if (panel == root.get()) {
        return root;
    }
    panel->setParent(nullptr, Qt::Window);
    return std::unique_ptr<QWidget>(panel);
}

Kind KindOf(QWidget* widget) {
    if (widget->property("lamp").toBool()) {
        return Kind::LAMP;
    }
    if (widget->property("picture").toBool() && qobject_cast<QLabel*>(widget)) {
        return Kind::PICTURE;
    }
    if (qobject_cast<QPushButton*>(widget)) {
        return Kind::BUTTON;
    }
    if (qobject_cast<QCheckBox*>(widget)) {
        return Kind::CHECK;
    }
    if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QLabel*>(widget) ||
        qobject_cast<QDateEdit*>(widget)) {
        return Kind::STRING;
    }
    if (qobject_cast<QSpinBox*>(widget) || qobject_cast<QLCDNumber*>(widget) ||
        qobject_cast<QComboBox*>(widget)) {
        return Kind::INT;
    }
    if (qobject_cast<QDoubleSpinBox*>(widget)) {
        return Kind::DOUBLE;
    }
    if (qobject_cast<QTableWidget*>(widget)) {
        return Kind::TABLE;
    }
    if (dynamic_cast<GraphWidget*>(widget)) {
        return Kind::GRAPH;
    }
    return Kind::DECORATION;
}

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::STRING:
            return "string";
        case Kind::INT:
            return "int";
        case Kind::DOUBLE:
            return "double";
        case Kind::BUTTON:
            return "button";
        case Kind::CHECK:
            return "check";
        case Kind::LAMP:
            return "lamp";
        case Kind::GRAPH:
            return "graph";
        case Kind::TABLE:
            return "table";
        case Kind::PICTURE:
            return "picture";
        case Kind::DECORATION:
            break;
    }
    return "decoration";
}

}  // namespace toolkit_internal
