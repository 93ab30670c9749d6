#include "common/file_errors.h"

namespace melo {

std::string system_error_text(const SystemError& error) {
    switch (error.fault) {
    case SystemFault::none:
        return "kein Fehler";
    case SystemFault::access_denied:
        return "keine Berechtigung";
    case SystemFault::disk_full:
        return "kein Speicherplatz mehr auf dem Datenträger";
    case SystemFault::read_only_file_system:
        return "Dateisystem ist schreibgeschützt";
    case SystemFault::write_protected_medium:
        return "Datenträger ist schreibgeschützt";
    case SystemFault::not_found:
        return "Verzeichnis oder Datei existiert nicht";
    case SystemFault::too_large:
        return "Datei zu groß";
    case SystemFault::is_directory:
        return "ist ein Verzeichnis";
    case SystemFault::io_error:
        return "Ein-/Ausgabefehler";
    case SystemFault::in_use:
        return "die Datei wird von einem anderen Programm benutzt";
    case SystemFault::not_ready:
        return "Laufwerk ist nicht bereit";
    case SystemFault::other:
        break;
    }
    return (error.windows_code ? "Windows-Fehler Nr. " : "Fehler Nr. ") +
           std::to_string(error.number);
}

std::string file_error_text(int error_number) {
    return system_error_text(errno_error(error_number));
}

std::string not_a_file_text(EntryKind kind) {
    const char* what = "unbekannte Art";
    switch (kind) {
    case EntryKind::directory:
        what = "ist ein Verzeichnis";
        break;
    case EntryKind::fifo:
        what = "ist eine Pipe (FIFO)";
        break;
    case EntryKind::socket:
        what = "ist ein Socket";
        break;
    case EntryKind::device:
        what = "ist ein Gerät";
        break;
    case EntryKind::regular:
    case EntryKind::other:
        break;
    }
    return std::string("keine gewöhnliche Datei: ") + what;
}

} // namespace melo
