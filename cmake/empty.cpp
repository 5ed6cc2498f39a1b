// Intentionally empty: lets a folder library exist before its first source file.
