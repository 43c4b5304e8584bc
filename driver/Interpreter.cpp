// The command interpreter's entry for a whole command file.
#include "Interpreter.h"

namespace orlo {

ElementType elementType(std::string_view typeLine) {
    if (typeLine == "INT") return ElementType::Int;
    if (typeLine == "DOUBLE") return ElementType::Double;
    if (typeLine == "STRING") return ElementType::String;
    return ElementType::None;
}

FileRun runCommandFile(LineReader& file, LineWriter& out) {
    std::string_view typeLine;
    if (!file.next(typeLine)) return FileRun::Unreadable;
    const bool ran = withElementType(elementType(typeLine), [&](auto tag) {
        using T = typename decltype(tag)::type;
        test<T>(file, out);
    });
    return ran ? FileRun::Ran : FileRun::NoType;
}

template void test<int>(LineReader&, LineWriter&);
template void test<double>(LineReader&, LineWriter&);
template void test<std::string>(LineReader&, LineWriter&);

}  // namespace orlo
