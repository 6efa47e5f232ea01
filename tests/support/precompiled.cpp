// The object the tests' precompiled header is built beside; nothing of it
// is linked.
