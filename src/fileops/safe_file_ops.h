#pragma once
// The logged, fault-tolerant file and folder operations of the installation.
// Each tests its subject, logs one line before it acts, and reports its own
// failures, so that its caller always goes on with the next statement.
#include <string>

void SafeCreateFolder(std::string path);
void SafeDeleteFolder(std::string path);
void SafeCopyFolder(std::string source, std::string destination, bool overwrite);
void SafeMoveFolder(std::string source, std::string destination);
void SafeDeleteFile(std::string path, bool force);
void SafeCopyFile(std::string source, std::string destination, bool overwrite);
void SafeMoveFile(std::string source, std::string destination);
