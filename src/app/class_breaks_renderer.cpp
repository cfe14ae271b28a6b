#include "app/class_breaks_renderer.h"

#include <qgsclassificationjenks.h>
#include <qgsgraduatedsymbolrenderer.h>
#include <qgslegendsymbolitem.h>
#include <qgsmarkersymbol.h>
#include <qgsrendererrange.h>
#include <qgsvectorlayer.h>

#include <atomic>
#include <memory>
#include <stdexcept>

#include "app/map_style.h"
#include "app/map_view.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/gis_error.h"
#include "platform/numbers.h"

namespace quor::app {

namespace {

// The graded classes of "Index", and a class of its own for the sites
// without a value: QGIS's graded renderer draws nothing for an empty value.
class IndexClassesRenderer final : public QgsGraduatedSymbolRenderer {
public:
    IndexClassesRenderer(const QgsRangeList& ranges, QgsSymbol* noValue)
        : QgsGraduatedSymbolRenderer(QStringLiteral("Index"), ranges), noValue_(noValue) {}
    // QGIS draws with a copy on a thread of its pool, then destroys the copy
    // on the window's thread once it has learnt, under Qt's locks, that the
    // draw is over. The copy takes up the end of its draw itself as well,
    // so the handover holds for a race detector that cannot see those locks.
    ~IndexClassesRenderer() override { drawn_.load(std::memory_order_acquire); }

    QgsSymbol* symbolForFeature(const QgsFeature& feature, QgsRenderContext& context) const override {
        return hasNoValue(feature) ? noValue_.get() : QgsGraduatedSymbolRenderer::symbolForFeature(feature, context);
    }
    QgsSymbol* originalSymbolForFeature(const QgsFeature& feature, QgsRenderContext& context) const override {
        return hasNoValue(feature) ? noValue_.get()
                                   : QgsGraduatedSymbolRenderer::originalSymbolForFeature(feature, context);
    }
    void startRender(QgsRenderContext& context, const QgsFields& fields) override {
        QgsGraduatedSymbolRenderer::startRender(context, fields);
        noValue_->startRender(context, fields);
    }
    void stopRender(QgsRenderContext& context) override {
        QgsGraduatedSymbolRenderer::stopRender(context);
        noValue_->stopRender(context);
        drawn_.store(true, std::memory_order_release);
    }
    QgsSymbolList symbols(QgsRenderContext& context) const override {
        QgsSymbolList out = QgsGraduatedSymbolRenderer::symbols(context);
        out.append(noValue_.get());
        return out;
    }
    QgsLegendSymbolList legendSymbolItems() const override {
        QgsLegendSymbolList out = QgsGraduatedSymbolRenderer::legendSymbolItems();
        out.append(QgsLegendSymbolItem(noValue_.get(), QStringLiteral("no value"), QStringLiteral("novalue")));
        return out;
    }
    IndexClassesRenderer* clone() const override {
        auto* copy = new IndexClassesRenderer(ranges(), noValue_->clone());
        copy->setClassificationMethod(classificationMethod()->clone());
        copyRendererData(copy);
        return copy;
    }

private:
    bool hasNoValue(const QgsFeature& feature) const {
        const int field = feature.fields().lookupField(classAttribute());
        return field < 0 || feature.attribute(field).isNull();
    }

    std::unique_ptr<QgsSymbol> noValue_;
    std::atomic<bool> drawn_{false};  // a draw has ended, all it did published
};

QgsMarkerSymbol* siteSymbol(const QColor& colour) {
    return QgsMarkerSymbol::createSimple({{QStringLiteral("name"), QStringLiteral("circle")},
                                          {QStringLiteral("color"), colour.name()},
                                          {QStringLiteral("outline_style"), QStringLiteral("no")},
                                          {QStringLiteral("size"), QStringLiteral("4")},
                                          {QStringLiteral("size_unit"), QStringLiteral("Point")}});
}

}  // namespace

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

void renderer_cls::drawInClasses(QgsVectorLayer& layer, const std::vector<double>& b) {
    // Class i runs from b(i) to b(i + 1), so that every value, the largest
    // included, falls into a class.
    const auto colours = rampColours();
    auto label = [](double v) { return QString::fromStdString(platform::formatNumber(platform::roundHalfEven(v, 2))); };
    QgsRangeList ranges;
    for (std::size_t i = 0; i + 1 < b.size() && i < colours.size(); ++i)
        ranges.append(
            QgsRendererRange(b[i], b[i + 1], siteSymbol(colours[i]), label(b[i]) + QStringLiteral(" - ") + label(b[i + 1])));
    // Sites that could not be computed stay on the map.
    auto* renderer = new IndexClassesRenderer(ranges, siteSymbol(kNoValueColour));
    renderer->setClassificationMethod(new QgsClassificationJenks());
    layer.setRenderer(renderer);
    layer.setTitle(QStringLiteral("REI"));
}

void renderer_cls::render(MapView& view, const std::shared_ptr<pg::Layer>& top) {
    view.syncNow();
    if (!top) throw pg::GisError("There is no layer to draw.");
    if (top->kind() != pg::LayerKind::Feature || !top->featureClass())
        throw pg::GisError("The layer is not a feature layer.");
    if (!view.qgisLayer(*top)) throw pg::GisError("The layer is not drawn.");

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
    top->setIndexClasses(classBreaks(values));
    // Made afresh, in the classes: a layer opened before the run does not know its "Index".
    if (!dynamic_cast<QgsVectorLayer*>(view.remakeQgisLayer(top))) throw pg::GisError("The layer is not drawn.");
    view.refreshView();
}

}  // namespace quor::app
