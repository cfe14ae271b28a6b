#include "app/class_breaks_renderer.h"

#include <qgsclassificationjenks.h>
#include <qgsgraduatedsymbolrenderer.h>
#include <qgsmarkersymbol.h>
#include <qgsrendererrange.h>
#include <qgsvectorlayer.h>

#include <stdexcept>

#include "app/map_view.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/gis_error.h"
#include "platform/numbers.h"

namespace quor::app {

std::vector<QColor> renderer_cls::rampColours() {
    const QColor from(255, 225, 225), to(140, 0, 0);
    std::vector<QColor> out;
    for (int i = 0; i < kClasses; ++i) {
        const double t = static_cast<double>(i) / (kClasses - 1);
        out.emplace_back(qRound(from.red() + (to.red() - from.red()) * t),
                         qRound(from.green() + (to.green() - from.green()) * t),
                         qRound(from.blue() + (to.blue() - from.blue()) * t));
    }
    return out;
}

std::vector<double> renderer_cls::classBreaks(const std::vector<double>& values) {
    if (values.empty()) return {};
    QgsClassificationJenks jenks;
    const QList<double> list(values.begin(), values.end());
    const QList<QgsClassificationRange> ranges = jenks.classes(list, kClasses);
    std::vector<double> breaks;
    if (ranges.isEmpty()) return breaks;
    breaks.push_back(ranges.front().lowerBound());
    for (const QgsClassificationRange& r : ranges) breaks.push_back(r.upperBound());
    return breaks;
}

void renderer_cls::CB(MapView& view) {
    view.syncNow();
    render(view, view.map().layer(0));
}

void renderer_cls::render(MapView& view, const std::shared_ptr<pg::Layer>& top) {
    view.syncNow();
    if (!top) throw pg::GisError("There is no layer to draw.");
    if (top->kind() != pg::LayerKind::Feature || !top->featureClass())
        throw pg::GisError("The layer is not a feature layer.");
    auto* layer = dynamic_cast<QgsVectorLayer*>(view.qgisLayer(*top));
    if (!layer) throw pg::GisError("The layer is not drawn.");

    // The values and their frequencies come from our own class.
    const auto& fc = top->featureClass();
    const int field = fc->findField("Index");
    if (field < 0) throw pg::GisError("The layer has no field Index.");
    std::vector<double> values;
    auto cursor = fc->search();
    while (auto f = cursor.next()) {
        const pg::FieldValue v = f->value(field);
        if (!pg::isNull(v)) values.push_back(pg::toDouble(v));
    }
    const std::vector<double> b = classBreaks(values);

    // Class i runs from b(i) to b(i + 1), so that every value, the largest
    // included, falls into a class.
    const auto colours = rampColours();
    auto label = [](double v) { return QString::fromStdString(platform::formatNumber(platform::roundHalfEven(v, 2))); };
    QgsRangeList ranges;
    for (std::size_t i = 0; i + 1 < b.size(); ++i) {
        auto* symbol = QgsMarkerSymbol::createSimple({{QStringLiteral("name"), QStringLiteral("circle")},
                                                      {QStringLiteral("color"), colours[i].name()},
                                                      {QStringLiteral("outline_style"), QStringLiteral("no")},
                                                      {QStringLiteral("size"), QStringLiteral("4")},
                                                      {QStringLiteral("size_unit"), QStringLiteral("Point")}});
        ranges.append(QgsRendererRange(b[i], b[i + 1], symbol, label(b[i]) + QStringLiteral(" - ") + label(b[i + 1])));
    }
    auto* renderer = new QgsGraduatedSymbolRenderer(QStringLiteral("Index"), ranges);
    renderer->setClassificationMethod(new QgsClassificationJenks());
    layer->setRenderer(renderer);
    // The legend's heading over the classes.
    layer->setTitle(QStringLiteral("REI"));
    view.refreshView();
}

}  // namespace quor::app
