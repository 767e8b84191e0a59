// Keeps the scenery library non-empty until its first unit lands.
namespace { [[maybe_unused]] int scenery_placeholder; }
