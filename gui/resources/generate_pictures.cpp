// Draws the program's pictures into a folder:
//   bitmaps/162.png   2 x 2000, the vertical colour strip behind every working dialog
//   bitmaps/149.png   440 x 30, the background of a highlighted menu item
//   bitmaps/152.png   1799 x 31, the background of a normal menu item
//   icons/brindlecot.svg and icons/brindlecot-<size>.png, the application icon
// Usage: brindlecot_picture_generator OUTPUT_FOLDER SIZE...
//
// The icon is described once, as outlines on a 256 x 256 canvas, and written both as
// SVG and as rendered PNGs, so the two can never disagree.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------
// Vertical colour ramps

struct Stop {
    double position;  // 0..1
    QColor colour;
};

double SmoothStep(double t) {
    return t * t * (3.0 - 2.0 * t);
}

// The colour at `t` (0..1) of a ramp through the stops, eased between each pair.
QColor RampColour(const std::vector<Stop>& stops, double t) {
    if (t <= stops.front().position)
        return stops.front().colour;
    for (std::size_t i = 1; i < stops.size(); ++i) {
        if (t <= stops[i].position) {
            const Stop& a = stops[i - 1];
            const Stop& b = stops[i];
            const double u = SmoothStep((t - a.position) / (b.position - a.position));
            auto mix = [u](int from, int to) {
                return static_cast<int>(std::lround(from + (to - from) * u));
            };
            return QColor(mix(a.colour.red(), b.colour.red()),
                          mix(a.colour.green(), b.colour.green()),
                          mix(a.colour.blue(), b.colour.blue()));
        }
    }
    return stops.back().colour;
}

// Fills every row of `image` from the ramp, top to bottom.
void FillRows(QImage& image, const std::vector<Stop>& stops) {
    const int rows = image.height();
    for (int y = 0; y < rows; ++y) {
        const QRgb colour = RampColour(stops, rows > 1 ? double(y) / (rows - 1) : 0.0).rgb();
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = colour;
    }
}

// The dialog strip: short dialogs show only its top rows stretched over their height, so
// the top few hundred rows carry the visible gradient, a pale blue brightening to almost
// white behind the controls; further down it darkens gently for the tall windows.
QImage DialogStrip() {
    QImage strip(2, 2000, QImage::Format_RGB32);
    FillRows(strip, {{0.0, QColor(0xC9, 0xDC, 0xF2)},
                     {0.02, QColor(0xDD, 0xE9, 0xF7)},
                     {0.2, QColor(0xF6, 0xF9, 0xFD)},
                     {1.0, QColor(0xE2, 0xEB, 0xF6)}});
    return strip;
}

QImage MenuItemHighlighted() {
    QImage item(440, 30, QImage::Format_RGB32);
    FillRows(item, {{0.0, QColor(0x6A, 0x9E, 0xDC)}, {1.0, QColor(0x2F, 0x67, 0xB1)}});
    QPainter painter(&item);
    painter.setPen(QColor(0x24, 0x52, 0x8F));
    painter.drawRect(0, 0, item.width() - 1, item.height() - 1);
    painter.setPen(QColor(0x9C, 0xC2, 0xEC));
    painter.drawLine(1, 1, item.width() - 2, 1);
    return item;
}

// A normal item: a light face and, at the left, the darker gutter where menus keep their
// check marks.
QImage MenuItemNormal() {
    QImage item(1799, 31, QImage::Format_RGB32);
    FillRows(item, {{0.0, QColor(0xF8, 0xFB, 0xFE)}, {1.0, QColor(0xE6, 0xEE, 0xF8)}});
    QImage gutter(27, 31, QImage::Format_RGB32);
    FillRows(gutter, {{0.0, QColor(0xDA, 0xE6, 0xF4)}, {1.0, QColor(0xC8, 0xD8, 0xEC)}});
    QPainter painter(&item);
    painter.drawImage(0, 0, gutter);
    painter.setPen(QColor(0xB3, 0xC7, 0xE0));
    painter.drawLine(27, 0, 27, item.height() - 1);
    return item;
}

// ---------------------------------------------------------------------------------------
// The icon: a batch sheet with fixed-width fields, sealed by a padlock, on a blue tile.

class Outline {
public:
    Outline& MoveTo(double x, double y) { return Add('M', {x, y}); }
    Outline& LineTo(double x, double y) { return Add('L', {x, y}); }
    Outline& CurveTo(double x1, double y1, double x2, double y2, double x, double y) {
        return Add('C', {x1, y1, x2, y2, x, y});
    }
    Outline& Close() { return Add('Z', {}); }

    Outline& RoundedRect(double x, double y, double w, double h, double r) {
        const double k = r * 0.5523;  // cubic approximation of a quarter circle
        MoveTo(x + r, y).LineTo(x + w - r, y);
        CurveTo(x + w - r + k, y, x + w, y + r - k, x + w, y + r).LineTo(x + w, y + h - r);
        CurveTo(x + w, y + h - r + k, x + w - r + k, y + h, x + w - r, y + h).LineTo(x + r, y + h);
        CurveTo(x + r - k, y + h, x, y + h - r + k, x, y + h - r).LineTo(x, y + r);
        return CurveTo(x, y + r - k, x + r - k, y, x + r, y).Close();
    }

    Outline& Circle(double cx, double cy, double r) {
        const double k = r * 0.5523;
        MoveTo(cx + r, cy);
        CurveTo(cx + r, cy + k, cx + k, cy + r, cx, cy + r);
        CurveTo(cx - k, cy + r, cx - r, cy + k, cx - r, cy);
        CurveTo(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
        return CurveTo(cx + k, cy - r, cx + r, cy - k, cx + r, cy).Close();
    }

    QPainterPath ToPainterPath() const {
        QPainterPath path;
        for (const Command& c : commands_) {
            switch (c.op) {
                case 'M':
                    path.moveTo(c.args[0], c.args[1]);
                    break;
                case 'L':
                    path.lineTo(c.args[0], c.args[1]);
                    break;
                case 'C':
                    path.cubicTo(c.args[0], c.args[1], c.args[2], c.args[3], c.args[4], c.args[5]);
                    break;
                default:
                    path.closeSubpath();
                    break;
            }
        }
        return path;
    }

    QString ToSvg() const {
        QString d;
        for (const Command& c : commands_) {
            d += QChar(c.op);
            for (double value : c.args)
                d += QStringLiteral(" %1").arg(value, 0, 'f', 2);
            d += QChar(' ');
        }
        return d.trimmed();
    }

private:
    struct Command {
        char op;
        std::vector<double> args;
    };
    Outline& Add(char op, std::vector<double> args) {
        commands_.push_back({op, std::move(args)});
        return *this;
    }
    std::vector<Command> commands_;
};

struct Gradient {  // linear, from (x1, y1) to (x2, y2)
    double x1, y1, x2, y2;
    QColor from, to;
};

struct Layer {
    Outline outline;
    std::optional<QColor> fill;
    std::optional<Gradient> gradient;
    std::optional<QColor> stroke;  // drawn with round caps and joins
    double strokeWidth = 0;
};

std::vector<Layer> IconLayers() {
    std::vector<Layer> layers;
    auto solid = [&](Outline outline, QColor colour) {
        layers.push_back({std::move(outline), colour, std::nullopt, std::nullopt, 0});
    };
    auto graded = [&](Outline outline, Gradient gradient) {
        layers.push_back({std::move(outline), std::nullopt, gradient, std::nullopt, 0});
    };
    auto stroked = [&](Outline outline, QColor colour, double width) {
        layers.push_back({std::move(outline), std::nullopt, std::nullopt, colour, width});
    };

    graded(Outline().RoundedRect(8, 8, 240, 240, 44),
           {0, 8, 0, 248, QColor(0x3A, 0x7B, 0xC4), QColor(0x1B, 0x46, 0x7E)});
    // The sheet, with its top right corner folded over.
    solid(Outline()
              .MoveTo(58, 34)
              .LineTo(158, 34)
              .LineTo(198, 74)
              .LineTo(198, 214)
              .LineTo(58, 214)
              .Close(),
          QColor(0xF7, 0xF9, 0xFC));
    solid(Outline().MoveTo(158, 34).LineTo(158, 74).LineTo(198, 74).Close(),
          QColor(0xC3, 0xD2, 0xE6));
    // Three records of fixed-width fields.
    const QColor field(0x7F, 0x9C, 0xC2);
    for (double y : {92.0, 118.0, 144.0}) {
        solid(Outline().RoundedRect(74, y, 34, 12, 3), field);
        solid(Outline().RoundedRect(114, y, 30, 12, 3), field);
        solid(Outline().RoundedRect(150, y, y < 140 ? 32 : 14, 12, 3), field);
    }
    solid(Outline().RoundedRect(74, 170, 34, 12, 3), field);
    // The padlock.
    stroked(Outline()
                .MoveTo(170, 184)
                .LineTo(170, 164)
                .CurveTo(170, 136, 212, 136, 212, 164)
                .LineTo(212, 184),
            QColor(0xE8, 0xEC, 0xF2), 12);
    graded(Outline().RoundedRect(150, 174, 82, 64, 12),
           {0, 174, 0, 238, QColor(0xF8, 0xC9, 0x4E), QColor(0xD8, 0x92, 0x18)});
    solid(Outline().Circle(191, 198, 9), QColor(0x5E, 0x41, 0x10));
    solid(Outline().RoundedRect(187, 200, 8, 22, 3), QColor(0x5E, 0x41, 0x10));
    return layers;
}

QString SvgColour(const QColor& colour) {
    return colour.name(QColor::HexRgb);
}

QString IconSvg(const std::vector<Layer>& layers) {
    QString defs;
    QString body;
    int gradients = 0;
    for (const Layer& layer : layers) {
        QString paint;
        if (layer.gradient) {
            const Gradient& g = *layer.gradient;
            const QString id = QStringLiteral("g%1").arg(++gradients);
            defs += QStringLiteral(
                        "    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" "
                        "x1=\"%2\" y1=\"%3\" x2=\"%4\" y2=\"%5\">\n"
                        "      <stop offset=\"0\" stop-color=\"%6\"/>\n"
                        "      <stop offset=\"1\" stop-color=\"%7\"/>\n"
                        "    </linearGradient>\n")
                        .arg(id)
                        .arg(g.x1)
                        .arg(g.y1)
                        .arg(g.x2)
                        .arg(g.y2)
                        .arg(SvgColour(g.from), SvgColour(g.to));
            paint = QStringLiteral("fill=\"url(#%1)\"").arg(id);
        } else if (layer.fill) {
            paint = QStringLiteral("fill=\"%1\"").arg(SvgColour(*layer.fill));
        } else {
            paint = QStringLiteral(
                        "fill=\"none\" stroke=\"%1\" stroke-width=\"%2\" "
                        "stroke-linecap=\"round\" stroke-linejoin=\"round\"")
                        .arg(SvgColour(*layer.stroke))
                        .arg(layer.strokeWidth);
        }
        body += QStringLiteral("  <path %1 d=\"%2\"/>\n").arg(paint, layer.outline.ToSvg());
    }
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
               "viewBox=\"0 0 256 256\">\n"
               "  <defs>\n%1  </defs>\n%2</svg>\n")
        .arg(defs, body);
}

QImage IconImage(const std::vector<Layer>& layers, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);
    for (const Layer& layer : layers) {
        const QPainterPath path = layer.outline.ToPainterPath();
        if (layer.gradient) {
            const Gradient& g = *layer.gradient;
            QLinearGradient brush(g.x1, g.y1, g.x2, g.y2);
            brush.setColorAt(0, g.from);
            brush.setColorAt(1, g.to);
            painter.fillPath(path, brush);
        } else if (layer.fill) {
            painter.fillPath(path, *layer.fill);
        } else {
            painter.strokePath(path, QPen(*layer.stroke, layer.strokeWidth, Qt::SolidLine,
                                          Qt::RoundCap, Qt::RoundJoin));
        }
    }
    return image;
}

bool Save(const QImage& image, const QString& path) {
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

bool SaveText(const QString& text, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    file.write(text.toUtf8());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("bitmaps")) || !out.mkpath(QStringLiteral("icons"))) {
        std::fprintf(stderr, "cannot create the folders under %s\n", argv[1]);
        return 1;
    }
    bool ok = Save(DialogStrip(), out.filePath(QStringLiteral("bitmaps/162.png")));
    ok = Save(MenuItemHighlighted(), out.filePath(QStringLiteral("bitmaps/149.png"))) && ok;
    ok = Save(MenuItemNormal(), out.filePath(QStringLiteral("bitmaps/152.png"))) && ok;
    const std::vector<Layer> icon = IconLayers();
    ok = SaveText(IconSvg(icon), out.filePath(QStringLiteral("icons/brindlecot.svg"))) && ok;
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "not an icon size: %s\n", argv[i]);
            return 2;
        }
        ok = Save(IconImage(icon, size),
                  out.filePath(QStringLiteral("icons/brindlecot-%1.png").arg(size))) &&
             ok;
    }
    return ok ? 0 : 1;
}
