// Keeps the ogl library non-empty until its first unit lands.
namespace { [[maybe_unused]] int ogl_placeholder; }
