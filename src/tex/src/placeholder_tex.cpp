// Keeps the tex library non-empty until its first unit lands.
namespace { [[maybe_unused]] int tex_placeholder; }
