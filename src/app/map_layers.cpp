#include "app/map_layers.h"

#include <gdal.h>
#include <qgscolorrampshader.h>
#include <qgsfeature.h>
#include <qgsfillsymbol.h>
#include <qgsfillsymbollayer.h>
#include <qgsgeometry.h>
#include <qgslinesymbol.h>
#include <qgsmarkersymbol.h>
#include <qgsmarkersymbollayer.h>
#include <qgsrasterlayer.h>
#include <qgsrastershader.h>
#include <qgssinglebandpseudocolorrenderer.h>
#include <qgssinglesymbolrenderer.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

#include <cmath>

#include "app/class_breaks_renderer.h"
#include "app/map_style.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster.h"
#include "platform/gis/workspace.h"

namespace quor::app {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QgsCoordinateReferenceSystem crsOf(const pg::SpatialReference& sr) {
    if (sr.isNone()) return {};
    if (int code = sr.epsgCode(); code > 0) return QgsCoordinateReferenceSystem::fromEpsgId(code);
    return QgsCoordinateReferenceSystem::fromWkt(qs(sr.wkt()));
}

QString memoryGeometryName(pg::GeometryType t) {
    switch (t) {
        case pg::GeometryType::Point: return QStringLiteral("Point");
        case pg::GeometryType::Polyline: return QStringLiteral("MultiLineString");
        case pg::GeometryType::Polygon: return QStringLiteral("MultiPolygon");
        case pg::GeometryType::None: break;
    }
    return QStringLiteral("None");
}

QgsPolylineXY polylineOf(const pg::Path& path) {
    QgsPolylineXY out;
    out.reserve(static_cast<int>(path.size()));
    for (const pg::Point& p : path) out.append(QgsPointXY(p.x, p.y));
    return out;
}

QgsGeometry qgisGeometry(const pg::Geometry& g) {
    if (g.isEmpty()) return {};
    switch (g.type()) {
        case pg::GeometryType::Point: {
            const pg::Point p = g.asPoint();
            return QgsGeometry::fromPointXY(QgsPointXY(p.x, p.y));
        }
        case pg::GeometryType::Polyline: {
            QgsMultiPolylineXY lines;
            for (const pg::Path& part : g.parts()) lines.append(polylineOf(part));
            return QgsGeometry::fromMultiPolylineXY(lines);
        }
        case pg::GeometryType::Polygon: {
            QgsMultiPolygonXY polys;
            std::size_t ring = 0;
            std::vector<std::size_t> counts = g.ringsPerPolygon();
            if (counts.empty()) counts.push_back(g.partCount());
            for (std::size_t n : counts) {
                QgsPolygonXY poly;
                for (std::size_t k = 0; k < n && ring < g.partCount(); ++k) poly.append(polylineOf(g.part(ring++)));
                polys.append(poly);
            }
            return QgsGeometry::fromMultiPolygonXY(polys);
        }
        case pg::GeometryType::None: break;
    }
    return {};
}

QVariant::Type qgisFieldType(pg::FieldType t) {
    switch (t) {
        case pg::FieldType::SmallInteger:
        case pg::FieldType::Integer: return QVariant::LongLong;
        case pg::FieldType::Single:
        case pg::FieldType::Double: return QVariant::Double;
        default: return QVariant::String;
    }
}

QVariant qgisValue(const pg::FieldValue& v) {
    if (std::holds_alternative<std::int64_t>(v)) return QVariant::fromValue<qlonglong>(std::get<std::int64_t>(v));
    if (std::holds_alternative<double>(v)) return std::get<double>(v);
    if (std::holds_alternative<std::string>(v)) return qs(std::get<std::string>(v));
    return {};
}

QgsVectorLayer* emptyMemoryLayer(pg::GeometryType type, const std::string& name) {
    return new QgsVectorLayer(memoryGeometryName(type), qs(name), QStringLiteral("memory"));
}

// The depth ramp runs from the deepest value (dark) to the shallowest
// (pale), whichever sign the grid gives depths.
void styleRaster(QgsRasterLayer& rl, const pg::Raster& raster) {
    double mm[2] = {0, 0};
    GDALRasterBandH band = GDALGetRasterBand(raster.dataset(), 1);
    if (!band) return;
    // Approximate statistics use overviews or a sample of blocks, so a
    // large grid does not have to be read whole before it can be drawn.
    if (GDALComputeRasterMinMax(band, TRUE, mm) != CE_None || !std::isfinite(mm[0]) || !std::isfinite(mm[1])) return;
    const bool negativeDepths = std::fabs(mm[0]) > std::fabs(mm[1]);
    const double deep = negativeDepths ? mm[0] : mm[1];
    const double shallow = negativeDepths ? mm[1] : mm[0];
    QList<QgsColorRampShader::ColorRampItem> items;
    const auto& colours = depthRampColours();
    const int n = static_cast<int>(colours.size());
    for (int i = 0; i < n; ++i) {
        const double t = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
        items.append({deep + (shallow - deep) * t, colours[static_cast<std::size_t>(i)]});
    }
    if (!negativeDepths) std::reverse(items.begin(), items.end());
    auto* ramp = new QgsColorRampShader(std::min(mm[0], mm[1]), std::max(mm[0], mm[1]));
    ramp->setColorRampType(QgsColorRampShader::Interpolated);
    ramp->setColorRampItemList(items);
    auto* shader = new QgsRasterShader();
    shader->setRasterShaderFunction(ramp);
    auto* renderer = new QgsSingleBandPseudoColorRenderer(rl.dataProvider(), 1, shader);
    renderer->setClassificationMin(std::min(mm[0], mm[1]));
    renderer->setClassificationMax(std::max(mm[0], mm[1]));
    rl.setRenderer(renderer);
}

void styleVector(QgsVectorLayer& vl, pg::GeometryType type) {
    QgsSymbol* symbol = nullptr;
    switch (type) {
        case pg::GeometryType::Point: {
            auto* m = QgsMarkerSymbol::createSimple({{QStringLiteral("name"), QStringLiteral("circle")},
                                                     {QStringLiteral("color"), kPointColour.name()},
                                                     {QStringLiteral("outline_color"), QStringLiteral("black")},
                                                     {QStringLiteral("outline_width"), QStringLiteral("0.1")},
                                                     {QStringLiteral("size"), QStringLiteral("1.6")}});
            symbol = m;
            break;
        }
        case pg::GeometryType::Polyline:
            symbol = QgsLineSymbol::createSimple({{QStringLiteral("line_color"), kLineColour.name()},
                                                  {QStringLiteral("line_width"), QStringLiteral("0.3")}});
            break;
        case pg::GeometryType::Polygon:
            // Outline only: the shoreline lies over the bathymetry and must
            // not hide it.
            symbol = QgsFillSymbol::createSimple({{QStringLiteral("style"), QStringLiteral("no")},
                                                  {QStringLiteral("outline_color"), kShoreColour.name()},
                                                  {QStringLiteral("outline_width"), QStringLiteral("0.4")}});
            break;
        case pg::GeometryType::None: return;
    }
    if (symbol) vl.setRenderer(new QgsSingleSymbolRenderer(symbol));
}

QgsMapLayer* featureLayer(const pg::Layer& layer) {
    const auto& fc = layer.featureClass();
    if (!fc) return emptyMemoryLayer(pg::GeometryType::None, layer.name());
    pg::GeometryType type = pg::GeometryType::None;
    try {
        auto ws = fc->workspace();
        if (!ws || !ws->hasFeatureClass(fc->name())) return emptyMemoryLayer(type, layer.name());
        type = fc->geometryType();
        QgsVectorLayer* vl = nullptr;
        if (ws->inTransaction() || ws->kind() == pg::WorkspaceKind::Memory) {
            // Rows written inside an open transaction are visible only to
            // our own connection; a memory workspace has no file to open.
            vl = memoryCopy(*fc, layer.name());
        } else {
            const QString uri = qs(ws->path()) + QStringLiteral("|layername=") + qs(fc->name());
            QgsVectorLayer::LayerOptions options;
            options.skipCrsValidation = true;
            vl = new QgsVectorLayer(uri, qs(layer.name()), QStringLiteral("ogr"), options);
            if (!vl->isValid()) {
                delete vl;
                vl = memoryCopy(*fc, layer.name());
            } else if (!vl->crs().isValid()) {
                vl->setCrs(crsOf(fc->spatialReference()));
            }
        }
        styleVector(*vl, type);
        if (const auto& classes = layer.indexClasses()) renderer_cls::drawInClasses(*vl, *classes);
        return vl;
    } catch (const std::exception&) {
        return emptyMemoryLayer(type, layer.name());
    }
}

QgsMapLayer* rasterLayer(const pg::Layer& layer) {
    const auto& raster = layer.raster();
    if (!raster) return emptyMemoryLayer(pg::GeometryType::None, layer.name());
    auto* rl = new QgsRasterLayer(qs(raster->path()), qs(layer.name()), QStringLiteral("gdal"));
    if (!rl->isValid()) {
        delete rl;
        return emptyMemoryLayer(pg::GeometryType::None, layer.name());
    }
    if (!rl->crs().isValid()) rl->setCrs(crsOf(raster->spatialReference()));
    try {
        styleRaster(*rl, *raster);
    } catch (const std::exception&) {
        // Drawn in QGIS's default grey ramp.
    }
    return rl;
}

}  // namespace

QgsVectorLayer* memoryCopy(const pg::FeatureClass& fc, const std::string& layerName) {
    pg::GeometryType type = pg::GeometryType::None;
    try {
        type = fc.geometryType();
    } catch (const std::exception&) {
        return emptyMemoryLayer(type, layerName);
    }
    auto* vl = emptyMemoryLayer(type, layerName);
    try {
        vl->setCrs(crsOf(fc.spatialReference()));
        auto fields = fc.fields();
        QList<QgsField> qfields;
        for (int i = 2; i < fields->count(); ++i)
            qfields.append(QgsField(qs(fields->field(i).name), qgisFieldType(fields->field(i).type)));
        vl->dataProvider()->addAttributes(qfields);
        vl->updateFields();
        QgsFeatureList out;
        auto cursor = fc.search();
        while (auto f = cursor.next()) {
            QgsFeature qf(vl->fields());
            qf.setGeometry(qgisGeometry(f->shape()));
            for (int i = 2; i < fields->count(); ++i) qf.setAttribute(i - 2, qgisValue(f->value(i)));
            out.append(qf);
        }
        vl->dataProvider()->addFeatures(out);
        vl->updateExtents();
    } catch (const std::exception&) {
        // What was read stays; a class deleted meanwhile draws nothing more.
    }
    return vl;
}

QgsMapLayer* makeQgisLayer(const pg::Layer& layer) {
    return layer.kind() == pg::LayerKind::Raster ? rasterLayer(layer) : featureLayer(layer);
}

}  // namespace quor::app
