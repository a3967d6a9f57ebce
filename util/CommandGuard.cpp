#include "util/CommandGuard.h"

#include <exception>
#include <filesystem>
#include <new>

#include "util/Error.h"

namespace kv {

std::string currentExceptionMessage() {
    try {
        throw;
    } catch (const Error& error) {
        return error.what();
    } catch (const std::bad_alloc&) {
        return "Mémoire insuffisante.";
    } catch (const std::filesystem::filesystem_error& error) {
        return std::string("Erreur du système de fichiers : ") + error.what();
    } catch (const std::exception& error) {
        return std::string("Erreur inattendue : ") + error.what();
    } catch (...) {
        return "Erreur inattendue";
    }
}

int runProgram(const std::function<int()>& body, const std::function<void(const std::string&)>& say,
               int failureStatus) {
    try {
        return body();
    } catch (...) {
        say(currentExceptionMessage());
        return failureStatus;
    }
}

}  // namespace kv
