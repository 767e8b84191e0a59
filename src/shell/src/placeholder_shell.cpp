// Keeps the shell library non-empty until its first unit lands.
namespace { [[maybe_unused]] int shell_placeholder; }
