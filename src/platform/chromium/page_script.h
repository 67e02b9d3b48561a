#pragma once

namespace qm::cr {

// The name of the program's own script world in every page. Scripts of the page run in another world and
// can neither see nor change what lives here; they share only the document itself.
inline constexpr char kWorldName[] = "quillmere";
// The function by which the world reports to the program. It exists only inside that world.
inline constexpr char kReportBinding[] = "__quillmereReport";

// The script that every document of a watched page runs first, in the program's world: the input probe
// (trusted input, pointer, Ctrl key), the watch on the element count, the input marker and the title,
// the unload and activation notices, and the page library through which the program reads and writes
// the page (`__qm.run` for reads, `__qm.write` for writes sent without waiting). Objects of the page are
// known to the program by number: 1 is the document, 2 its window; the rest are numbered as they are
// first handed out.
extern const char kPageScript[];

}  // namespace qm::cr
