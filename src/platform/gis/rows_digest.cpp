#include "platform/gis/rows_digest.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/file_digest.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/ordered_work.h"

namespace quor::platform::gis {

namespace {

// A row's values spelt as bytes that differ only where the values differ
// as every format that can hold them gives them back; the digests are
// taken of these bytes.
class RowSpelling {
public:
    explicit RowSpelling(OGRFeatureDefn& defn) {
        // By name: a format may keep the fields in another order.
        for (int i = 0; i < defn.GetFieldCount(); ++i) fields_.emplace_back(i, defn.GetFieldDefn(i)->GetType());
        std::stable_sort(fields_.begin(), fields_.end(), [&defn](const auto& a, const auto& b) {
            return STRCASECMP(defn.GetFieldDefn(a.first)->GetNameRef(), defn.GetFieldDefn(b.first)->GetNameRef()) < 0;
        });
    }

    // The row's spelling, appended to `out`; whether it has a geometry.
    bool spell(const OGRFeature& f, bool id, std::string& out) const {
        if (id) integer(f.GetFID(), out);
        for (const auto& [i, type] : fields_) value(f, i, type, out);
        return geometry(f, out);
    }

    // The spelling of the row's geometry, appended to `out`; whether it has one.
    static bool geometry(const OGRFeature& f, std::string& out) {
        const OGRGeometry* g = f.GetGeometryRef();
        if (!g || g->IsEmpty()) {
            out += 'n';
            return false;
        }
        if (wkbFlatten(g->getGeometryType()) == wkbPoint) {
            const OGRPoint& p = *g->toPoint();
            out += 'P';
            number(p.getX(), out);
            number(p.getY(), out);
            if (p.Is3D()) number(p.getZ(), out);
            if (p.IsMeasured()) number(p.getM(), out);
        } else {
            std::string wkb(static_cast<std::size_t>(g->WkbSize()), '\0');
            g->exportToWkb(wkbNDR, reinterpret_cast<unsigned char*>(wkb.data()), wkbVariantIso);
            text('g', wkb, out);
        }
        return true;
    }

private:
    // The powers of ten a double and an integer hold exactly.
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    static constexpr std::int64_t kTens[] = {1LL,      10LL,      100LL,      1000LL,      10000LL,
                                             100000LL, 1000000LL, 10000000LL, 100000000LL, 1000000000LL,
                                             10000000000LL, 100000000000LL, 1000000000000LL, 10000000000000LL,
                                             100000000000000LL};

    template <class T>
    static void bytes(char tag, T v, std::string& out) {
        out += tag;
        out.append(reinterpret_cast<const char*>(&v), sizeof v);
    }

    static void text(char tag, std::string_view t, std::string& out) {
        bytes(tag, static_cast<std::uint64_t>(t.size()), out);
        out.append(t);
    }

    static void integer(std::int64_t v, std::string& out) { bytes('i', v, out); }

    // A number as the double it is: a whole one as an integer (as a text
    // format gives it back), any other as its 15 significant digits (a
    // mantissa from 10^14 up to 10^15 and the power of 10 of its first
    // digit), rounded as printf's "%.15g" rounds them, followed by the
    // double's own bytes when those digits are not the double.
    static void number(double v, std::string& out) {
        if (!std::isfinite(v)) return text('s', std::isnan(v) ? "nan" : v > 0 ? "inf" : "-inf", out);
        if (std::trunc(v) == v && std::fabs(v) < 1e15) return integer(static_cast<std::int64_t>(v), out);
        std::int64_t mantissa = 0;
        int exponent = 0;
        if (!roundedQuickly(v, mantissa, exponent)) rounded(v, mantissa, exponent);
        // Whole once rounded: as a whole number is spelt.
        if (exponent >= 0 && exponent < 15 && mantissa % kTens[14 - exponent] == 0) {
            integer(mantissa / kTens[14 - exponent], out);
        } else {
            bytes('r', mantissa, out);
            out.append(reinterpret_cast<const char*>(&exponent), sizeof exponent);
        }
        if (!givesBack(mantissa, exponent, v)) bytes('x', v, out);
    }

    // Whether the 15 digits read back as `v`. Where the power of ten is
    // one a double holds, the one division or product is rounded as
    // reading the digits rounds them; elsewhere the C library reads them.
    static bool givesBack(std::int64_t mantissa, int exponent, double v) {
        const int k = 14 - exponent;
        const auto m = static_cast<double>(mantissa);  // below 10^15: exact
        if (k >= -22 && k <= 22) return (k >= 0 ? m / kPowers[k] : m * kPowers[-k]) == v;
        char buf[40];
        const int n = std::snprintf(buf, sizeof buf, "%lldE%d", static_cast<long long>(mantissa), -k);
        double read = 0;
        std::from_chars(buf, buf + n, read);
        return read == v;
    }

    // The digits by arithmetic, where it is exact: a power of ten that a
    // double holds exactly, and the digit after the 15th not so close to a
    // half that the product's rounding could tip it. False otherwise.
    static bool roundedQuickly(double v, std::int64_t& mantissa, int& exponent) {
        const double a = std::fabs(v);
        // The power of ten of the first digit, from the power of two: the
        // same or one below.
        exponent = static_cast<int>(std::floor(std::ilogb(a) * 0.30102999566398119521));
        for (int tries = 0; tries < 3; ++tries) {
            const int k = 14 - exponent;
            if (k > 22 || k < -22) return false;
            const double scaled = k >= 0 ? a * kPowers[k] : a / kPowers[-k];
            const double digits = std::nearbyint(scaled);
            if (std::fabs(scaled - digits) > 0.4) return false;
            if (digits >= 1e15) {
                ++exponent;
            } else if (digits < 1e14) {
                --exponent;
            } else {
                mantissa = static_cast<std::int64_t>(v < 0 ? -digits : digits);
                return true;
            }
        }
        return false;
    }

    // The digits as the C library spells them ("d.dddddddddddddde+x").
    static void rounded(double v, std::int64_t& mantissa, int& exponent) {
        char buf[40];
        const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14).ptr;
        mantissa = 0;
        const char* c = buf;
        for (; c != end && *c != 'e'; ++c)
            if (*c >= '0' && *c <= '9') mantissa = mantissa * 10 + (*c - '0');
        if (v < 0) mantissa = -mantissa;
        exponent = 0;
        if (c != end) std::from_chars(c + (c[1] == '+' ? 2 : 1), end, exponent);
    }

    // A text as it is, but for one that spells a whole number as a whole
    // number is spelt (no sign but a minus, no leading zero), which is
    // that number: a CSV file gives back its whole numbers as such texts.
    static void textOrWhole(std::string_view t, std::string& out) {
        const char* end = t.data() + t.size();
        std::int64_t whole = 0;
        char spelt[24];
        if (const auto r = std::from_chars(t.data(), end, whole); r.ec == std::errc() && r.ptr == end) {
            const auto n = static_cast<std::size_t>(std::to_chars(spelt, spelt + sizeof spelt, whole).ptr - spelt);
            if (t == std::string_view(spelt, n)) return integer(whole, out);
        }
        text('s', t, out);
    }

    // A date, a time or both as GDAL spells them; a date and time at
    // midnight of no zone as its day.
    static void moment(const OGRFeature& f, int i, OGRFieldType type, std::string& out) {
        int y = 0, mo = 0, d = 0;
        if (type == OFTDateTime && detail::dayAsDateTime(f, i, y, mo, d)) {
            char buf[32];
            const int n = std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", y, mo, d);
            return text('s', std::string_view(buf, static_cast<std::size_t>(n)), out);
        }
        text('s', f.GetFieldAsString(i), out);
    }

public:
    // The spelling of the row's field `i`, of type `type`, appended to `out`.
    static void value(const OGRFeature& f, int i, OGRFieldType type, std::string& out) {
        if (!f.IsFieldSetAndNotNull(i)) {
            out += 'n';
            return;
        }
        switch (type) {
            case OFTInteger: integer(f.GetRawFieldRef(i)->Integer, out); return;
            case OFTInteger64: integer(f.GetRawFieldRef(i)->Integer64, out); return;
            case OFTReal: number(f.GetRawFieldRef(i)->Real, out); return;
            case OFTDate:
            case OFTTime:
            case OFTDateTime: moment(f, i, type, out); return;
            case OFTBinary: {
                int size = 0;
                const GByte* b = f.GetFieldAsBinary(i, &size);
                text('b', std::string_view(reinterpret_cast<const char*>(b), static_cast<std::size_t>(size)), out);
                return;
            }
            default: {
                // A text, or a list as GDAL spells it; an empty one is no value.
                const std::string_view t = type == OFTString ? f.GetRawFieldRef(i)->String : f.GetFieldAsString(i);
                if (t.empty())
                    out += 'n';
                else
                    textOrWhole(t, out);
            }
        }
    }

private:
    std::vector<std::pair<int, OGRFieldType>> fields_;
};

// The SHA-256 of a run of rows, taken 1,024 rows at a time (the digests of
// those blocks are digested in turn), so that no run is held whole.
class RowsDigest {
public:
    void add(std::string_view row) {
        block_ += row;
        if (++rows_ % 1024 == 0) flush();
    }
    std::string result() {
        flush();
        return platform::bytesDigest(blocks_);
    }

private:
    void flush() {
        if (block_.empty()) return;
        blocks_ += platform::bytesDigest(block_);
        block_.clear();
    }
    std::int64_t rows_ = 0;
    std::string block_, blocks_;
};

// The digests of the whole and of the ranges, fed the rows in order.
class RangesDigest {
public:
    explicit RangesDigest(const std::vector<std::int64_t>& ranges) {
        for (const std::int64_t size : ranges) ends_.push_back((ends_.empty() ? 0 : ends_.back()) + size);
    }

    void add(std::string_view row, bool geometry) {
        endRanges(read_.rows);
        if (!geometry) ++read_.withoutGeometry;
        whole_.add(row);
        if (next_ < ends_.size()) range_.add(row);
        ++read_.rows;
    }

    RowsRead result() {
        endRanges(ends_.empty() ? 0 : ends_.back());
        read_.digest = whole_.result();
        return std::move(read_);
    }

private:
    // The ranges that end before row `row`, an empty one included.
    void endRanges(std::int64_t row) {
        for (; next_ < ends_.size() && row >= ends_[next_]; ++next_) {
            read_.digests.push_back(range_.result());
            range_ = RowsDigest();
        }
    }

    std::vector<std::int64_t> ends_;
    std::size_t next_ = 0;
    RowsDigest whole_, range_;
    RowsRead read_;
};

}  // namespace

RowsRead readRows(const LayerSource& source, const RowsAsked& asked) {
    const OpenLayer open = openLayer(source);
    OGRLayer& l = *open.layer;
    detail::ErrorCapture err;
    const RowSpelling spelling(*l.GetLayerDefn());
    RangesDigest digest(asked.ranges);
    // GDAL reads on this thread; the rows are spelt side by side, a batch
    // at a time, and digested here in their order.
    using Batch = std::vector<OGRFeatureUniquePtr>;
    struct Spelt {
        std::string text;
        std::vector<std::pair<std::size_t, bool>> rows;  // each row's end in the text, and whether it has a geometry
    };
    platform::OrderedWork<Batch, Spelt> work(asked.threads, 4);
    l.ResetReading();
    work.run(
        [&l]() -> std::optional<Batch> {
            Batch batch;
            while (batch.size() < 256)
                if (OGRFeatureUniquePtr f{l.GetNextFeature()})
                    batch.push_back(std::move(f));
                else
                    break;
            return batch.empty() ? std::nullopt : std::optional<Batch>(std::move(batch));
        },
        [&spelling, &asked](const Batch& batch, int) {
            Spelt spelt;
            for (const auto& f : batch) {
                const bool geometry = spelling.spell(*f, asked.ids, spelt.text);
                spelt.rows.emplace_back(spelt.text.size(), geometry);
            }
            return spelt;
        },
        [&digest](Batch&, Spelt& spelt) {
            std::size_t begin = 0;
            for (const auto& [end, geometry] : spelt.rows) {
                digest.add(std::string_view(spelt.text.data() + begin, end - begin), geometry);
                begin = end;
            }
            return true;
        });
    if (err.failed())
        throw GisError(err.message("The layer " + std::string(l.GetName()) + " of " + source.dataset + " cannot be read."));
    return digest.result();
}

namespace {

// A value as a message shows it: a number in its shortest exact form.
std::string shown(const OGRFeature& f, int i) {
    if (i < 0) return "missing";
    if (!f.IsFieldSetAndNotNull(i)) return "no value";
    if (f.GetFieldDefnRef(i)->GetType() != OFTReal) return f.GetFieldAsString(i);
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, f.GetFieldAsDouble(i)).ptr);
}

std::string shownGeometry(const OGRFeature& f) {
    const OGRGeometry* g = f.GetGeometryRef();
    if (!g || g->IsEmpty()) return "none";
    if (wkbFlatten(g->getGeometryType()) != wkbPoint) return g->exportToWkt();
    char buf[64];
    char* end = std::to_chars(buf, buf + sizeof buf, g->toPoint()->getX()).ptr;
    *end++ = ' ';
    return std::string(buf, std::to_chars(end, buf + sizeof buf, g->toPoint()->getY()).ptr);
}

}  // namespace

std::optional<RowDifference> firstDifference(const LayerSource& layer, const LayerSource& other, std::int64_t first) {
    const OpenLayer one = openLayer(layer), two = openLayer(other);
    OGRLayer& a = *one.layer;
    OGRLayer& b = *two.layer;
    detail::ErrorCapture err;
    // Each field of either by its name, with its place in each (-1: none).
    struct Field {
        std::string name;
        int a, b;
    };
    std::vector<Field> fields;
    const OGRFeatureDefn& da = *a.GetLayerDefn();
    const OGRFeatureDefn& db = *b.GetLayerDefn();
    for (int i = 0; i < da.GetFieldCount(); ++i)
        fields.push_back({da.GetFieldDefn(i)->GetNameRef(), i, db.GetFieldIndex(da.GetFieldDefn(i)->GetNameRef())});
    for (int i = 0; i < db.GetFieldCount(); ++i)
        if (da.GetFieldIndex(db.GetFieldDefn(i)->GetNameRef()) < 0)
            fields.push_back({db.GetFieldDefn(i)->GetNameRef(), -1, i});
    a.ResetReading();
    b.ResetReading();
    for (std::int64_t skipped = 0; skipped < first; ++skipped)
        if (!OGRFeatureUniquePtr(b.GetNextFeature())) break;
    for (std::int64_t row = 0;; ++row) {
        const OGRFeatureUniquePtr fa(a.GetNextFeature());
        if (!fa) break;
        const OGRFeatureUniquePtr fb(b.GetNextFeature());
        if (!fb) return RowDifference{row, "", shownGeometry(*fa), "no row"};
        for (const auto& field : fields) {
            std::string sa, sb;
            if (field.a >= 0) RowSpelling::value(*fa, field.a, da.GetFieldDefn(field.a)->GetType(), sa);
            if (field.b >= 0) RowSpelling::value(*fb, field.b, db.GetFieldDefn(field.b)->GetType(), sb);
            if (field.a < 0 || field.b < 0 || sa != sb)
                return RowDifference{row, field.name, shown(*fa, field.a), shown(*fb, field.b)};
        }
        std::string ga, gb;
        RowSpelling::geometry(*fa, ga);
        RowSpelling::geometry(*fb, gb);
        if (ga != gb) return RowDifference{row, "", shownGeometry(*fa), shownGeometry(*fb)};
    }
    if (err.failed())
        throw GisError(err.message("The layers of " + layer.dataset + " and " + other.dataset + " cannot be read."));
    return std::nullopt;
}

}  // namespace quor::platform::gis
