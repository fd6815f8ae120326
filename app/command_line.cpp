#include "command_line.h"

#include <cstring>

namespace command_line {

Request requestFor(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Request::Help;
        if (std::strcmp(argv[i], "--version") == 0)
            return Request::Version;
    }
    return Request::Run;
}

QString photoArgument(const QStringList& arguments) {
    const int first = !arguments.isEmpty() && arguments.constFirst() == QLatin1String("--") ? 1 : 0;
    return arguments.value(first);
}

QString helpText() {
    return QStringLiteral(
        "Usage: pelvanor [PHOTO]\n"
        "Marks and reads angles on a photograph of an eye: an angle gauge with a movable centre,\n"
        "a guide line and a sector over the photo, saved or printed with the photo at full\n"
        "resolution.\n"
        "\n"
        "Opens PHOTO (JPEG, PNG, BMP or TIFF) when one is named.\n"
        "\n"
        "  -h, --help     show this help and exit\n"
        "  --version      show the version and exit\n"
        "\n"
        "Keys: Ctrl+O open, Ctrl+V paste a photo, Ctrl+S save, Ctrl+P print, Ctrl+C copy the\n"
        "photo with the gauge, Ctrl+Q quit.\n"
        "\n"
        "Environment: LANG chooses the language of the interface at start (Spanish, or English\n"
        "when it names English).\n");
}

QString versionText() {
    return QStringLiteral("pelvanor " PELVANOR_VERSION "\n");
}

} // namespace command_line
