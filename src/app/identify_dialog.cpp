#include "app/identify_dialog.h"

#include <qgsmaptopixel.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/map_view.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/raster.h"

namespace quor::app {

namespace pg = platform::gis;

namespace {

std::vector<std::vector<std::pair<std::string, std::string>>> featuresAt(const pg::FeatureClass& fc, double x,
                                                                        double y, double tol) {
    std::vector<std::vector<std::pair<std::string, std::string>>> out;
    const pg::Geometry area =
        pg::Geometry::polygon({{x - tol, y - tol}, {x + tol, y - tol}, {x + tol, y + tol}, {x - tol, y + tol}});
    auto cursor = fc.search(fc.selectIntersecting(area));
    while (auto f = cursor.next()) {
        std::vector<std::pair<std::string, std::string>> row;
        const pg::Fields& fields = f->fields();
        for (int i = 1; i < fields.count(); ++i) {
            const std::string value = i == 1 ? std::to_string(f->oid()) : pg::toText(f->value(i));
            row.emplace_back(fields.field(i).name, value);
        }
        out.push_back(std::move(row));
    }
    return out;
}

}  // namespace

std::vector<IdentifyResult> identifyAt(const pg::Map& map, double x, double y, double tolerance) {
    std::vector<IdentifyResult> results;
    for (const auto& layer : map.layers()) {
        IdentifyResult r{layer->name(), {}};
        try {
            if (layer->kind() == pg::LayerKind::Raster) {
                if (!layer->raster()) continue;
                const pg::PixelValue v = layer->raster()->identify(x, y);
                if (v.isOutside()) continue;
                r.items.push_back({{"Pixel value", v.text()}});
            } else {
                if (!layer->featureClass()) continue;
                r.items = featuresAt(*layer->featureClass(), x, y, tolerance);
            }
        } catch (const std::exception&) {
            continue;  // a class deleted under the layer shows nothing
        }
        if (!r.items.empty()) results.push_back(std::move(r));
    }
    return results;
}

QDialog* makeIdentifyDialog(const std::vector<IdentifyResult>& results, QWidget* parent) {
    auto* dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("IdentifyDialog"));
    dlg->setWindowTitle(QStringLiteral("Identify Results"));
    auto* tree = new QTreeWidget(dlg);
    tree->setObjectName(QStringLiteral("IdentifyTree"));
    tree->setColumnCount(2);
    tree->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
    for (const IdentifyResult& r : results) {
        auto* top = new QTreeWidgetItem(tree, {QString::fromStdString(r.layer)});
        for (const auto& item : r.items) {
            QTreeWidgetItem* parentItem = top;
            if (r.items.size() > 1) {
                const QString head = item.empty() ? QString() : QString::fromStdString(item.front().second);
                parentItem = new QTreeWidgetItem(top, {head});
            }
            for (const auto& [field, value] : item)
                new QTreeWidgetItem(parentItem, {QString::fromStdString(field), QString::fromStdString(value)});
        }
    }
    tree->expandAll();
    tree->resizeColumnToContents(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dlg);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    auto* layout = new QVBoxLayout(dlg);
    layout->addWidget(tree);
    layout->addWidget(buttons);
    dlg->resize(360, 320);
    return dlg;
}

void showIdentifyDialog(MapView& view, int x, int y) {
    view.syncNow();
    const QgsPointXY p = view.getCoordinateTransform()->toMapCoordinates(x, y);
    const double tol = 3 * view.mapUnitsPerPixel();
    QDialog* dlg = makeIdentifyDialog(identifyAt(view.map(), p.x(), p.y(), tol), view.window());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
}

}  // namespace quor::app
