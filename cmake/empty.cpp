// Keeps a library whose sources are all optional from being empty.
