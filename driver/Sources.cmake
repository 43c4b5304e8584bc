# The driver's sources, listed once for the native build (CMakeLists.txt)
# and the WebAssembly one (web/CMakeLists.txt): the command interpreter,
# which the page runs too, and the program around it.
set(ORLO_INTERPRETER_SOURCES Format.cpp Interpreter.cpp Io.cpp ParseStream.cpp)
list(TRANSFORM ORLO_INTERPRETER_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
set(ORLO_PROGRAM_SOURCES ${CMAKE_CURRENT_LIST_DIR}/Program.cpp)
