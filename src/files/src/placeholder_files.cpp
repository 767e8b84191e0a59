// Keeps the files library non-empty until its first unit lands.
namespace { [[maybe_unused]] int files_placeholder; }
