#include "gis/load_features.h"

#include <exception>

#include "platform/gis/gis_error.h"

namespace quor::gis {

void copyattributes(pg::Feature& buffer, const pg::Feature& source) {
    const pg::Fields& src = source.fields();
    for (int i = 0; i < src.count(); ++i) {
        const pg::FieldDef& fd = src.field(i);
        if (fd.type == pg::FieldType::Geometry || fd.type == pg::FieldType::ObjectId || !fd.editable) continue;
        const int pos = buffer.findField(fd.name);
        if (pos < 0) continue;
        // The target's own shape and object id are never written as attributes.
        const pg::FieldDef& target = buffer.fields().field(pos);
        if (target.type == pg::FieldType::Geometry || target.type == pg::FieldType::ObjectId || !target.editable) continue;
        buffer.setValue(pos, source.value(i));
    }
}

LoadFeaturesResult LoadFeatures(const std::shared_ptr<pg::FeatureClass>& sfeatureclass, pg::FeatureCursor& pfeaturecursor,
                                pg::Map* map, platform::Messages& messages) {
    LoadFeaturesResult result;
    if (!sfeatureclass) return result;
    result.target = sfeatureclass;
    auto fail = [&](const std::string& description) {
        if (result.failures++ == 0) result.firstError = description;
        messages.message(description);
    };

    std::optional<pg::InsertCursor> cursor;
    pg::Feature buffer;
    try {
        cursor.emplace(sfeatureclass->insertCursor(true));
        buffer = cursor->createFeatureBuffer();
    } catch (const std::exception& e) {
        fail(e.what());
    }

    int counter = 0;
    for (;;) {
        std::optional<pg::Feature> f;
        try {
            f = pfeaturecursor.next();
        } catch (const std::exception& e) {
            // A source that cannot deliver its next feature ends the copy
            // rather than repeating the same feature.
            fail(e.what());
            break;
        }
        if (!f) break;
        if (!cursor) continue;
        buffer.setShape(f->shape());
        try {
            copyattributes(buffer, *f);
        } catch (const std::exception& e) {
            fail(e.what());
        }
        try {
            cursor->insert(buffer);
        } catch (const std::exception& e) {
            fail(e.what());
        }
        if (++counter == 100) {
            counter = 0;
            try {
                cursor->flush();
            } catch (const std::exception& e) {
                fail(e.what());
            }
        }
    }
    if (cursor) {
        try {
            cursor->flush();
        } catch (const std::exception& e) {
            fail(e.what());
        }
    }
    try {
        if (map) map->addLayer(pg::Layer::featureLayer(sfeatureclass, sfeatureclass->aliasName()));
    } catch (const std::exception& e) {
        fail(e.what());
    }
    return result;
}

}  // namespace quor::gis
