#pragma once
// What the user chose for the runs over the open archive (engine/OpenArchive.h):
// where they work, what the archiving run does with files that are gone or
// unchanged, how many files it makes at once. The main window keeps them from its settings and
// dialogs; kvr sets them from its options.

#include <string>

namespace kv {

struct RunOptions {
    std::string workFolder;        // WorkFolder: where the runs build their copies; a run that
                                   // finds it gone takes DefaultWorkFolder instead (and keeps it)
    bool dateComment = false;      // DateComment: the comment written starts with today's date
    bool checkRecupeFile = false;  // CheckRecupeFile: leave missing files out instead of
                                   // carrying them over
    bool recompressAll = false;    // RecompressAll: the archiving runs compress every file, even
                                   // one whose stored member is still its own
    int threads = 0;               // files made at once by the archiving runs; 0 the default
                                   // (archiveThreads, engine/MemberPool.h)
};

}  // namespace kv
