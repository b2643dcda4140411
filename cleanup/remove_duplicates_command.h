#pragma once
// The menu command that deletes duplicated polylines and texts, such as an
// area imported twice leaves: it asks first, keeps one element of each group
// and deletes the others in one undo step, then says what it did.
namespace kl::cleanup {

// Main thread, from the menu handler.
void runRemoveDuplicatesCommand();

}  // namespace kl::cleanup
