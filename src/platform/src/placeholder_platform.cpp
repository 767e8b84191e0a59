// Keeps the platform library non-empty until its first unit lands.
namespace { [[maybe_unused]] int platform_placeholder; }
