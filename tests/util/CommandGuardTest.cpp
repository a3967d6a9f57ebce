#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "util/CommandGuard.h"
#include "util/Error.h"

namespace kv {
namespace {

TEST(CommandGuard, EveryExceptionEndsTheProgramWithItsFrenchTextAndTheFailureStatus) {
    struct Case {
        std::function<void()> thrower;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[] { throw Error("Erreur de lecture du fichier < C:\\a.kvr >."); },
         "Erreur de lecture du fichier < C:\\a.kvr >."},
        {[] { throw std::bad_alloc(); }, "Mémoire insuffisante."},
        {[] {
             throw std::filesystem::filesystem_error(
                 "status", std::make_error_code(std::errc::permission_denied));
         },
         "Erreur du système de fichiers : "},
        {[] { throw std::out_of_range("vector"); }, "Erreur inattendue : vector"},
        {[] { throw 42; }, "Erreur inattendue"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> said;
        const int status = runProgram(
            [&] {
                c.thrower();
                return 0;
            },
            [&](const std::string& text) { said.push_back(text); }, 7);
        EXPECT_EQ(status, 7);
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(said[0].rfind(c.message, 0), 0u) << said[0];
    }
}

TEST(CommandGuard, AProgramThatEndsNormallyKeepsItsStatusAndSaysNothing) {
    int said = 0;
    EXPECT_EQ(runProgram([] { return 3; }, [&](const std::string&) { ++said; }, 1), 3);
    EXPECT_EQ(said, 0);
}

}  // namespace
}  // namespace kv
