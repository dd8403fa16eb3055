#include "base/file_results.h"

#include "base/text_format.h"

namespace orv {

std::string bytesLoadedText(int count, const std::string& fileTitle) {
    return count == 1 ? "One byte loaded from '" + fileTitle + "'"
                      : formatText("%d bytes loaded from '", count) + fileTitle + "'";
}

std::string bytesSavedText(int count, const std::string& fileTitle) {
    return count == 1 ? "One byte saved to '" + fileTitle + "'"
                      : formatText("%d bytes saved to '", count) + fileTitle + "'";
}

std::string notAProgramFileText(const std::string& fileTitle) {
    return "Error: file '" + fileTitle + "' is no object, binary or tape file";
}

std::string noLabelsText(const std::string& fileTitle) {
    return "Error: no labels in '" + fileTitle + "'";
}

std::string stateSavedText(const std::string& fileTitle) {
    return "State saved to '" + fileTitle + "'";
}

std::string stateLoadedText(const std::string& fileTitle) {
    return "State loaded from '" + fileTitle + "'";
}

} // namespace orv
