#include "script/scriptstream.h"

std::vector<std::pair<unsigned int, std::string>> stripped_comments;
std::map<std::string, std::string> stored_expressions;

scriptstream_priv::scriptstream_priv(const std::string& text, const MessageLocation& origin)
    : std::string(text), std::istringstream(text), mOrigin(origin) {}
scriptstream& scriptstream_priv::operator>>(std::string& word) { static_cast<std::istringstream&>(*this) >> word; return *this; }
scriptstream& scriptstream_priv::operator>>(double& value) { static_cast<std::istringstream&>(*this) >> value; return *this; }
scriptstream& scriptstream_priv::operator>>(int& value) { static_cast<std::istringstream&>(*this) >> value; return *this; }
bool scriptstream_priv::good() const { return std::istringstream::good(); }
int scriptstream_priv::peek() { return std::istringstream::peek(); }
int scriptstream_priv::get() { return std::istringstream::get(); }
void scriptstream_priv::ignore(int n, int delim) { std::istringstream::ignore(n, delim); }
void scriptstream_priv::eatwhite() { std::ws(static_cast<std::istringstream&>(*this)); }
long scriptstream_priv::tell() { return tellg(); }
MessageLocation scriptstream_priv::location_at(long) { return mOrigin; }
MessageLocation scriptstream_priv::last_word_location() { return mOrigin; }
std::string scriptstream_priv::doc(unsigned int, unsigned int) const { return ""; }
void strip_comments(std::string&) {}
std::string copy_without_comments(const std::string& text) { return text; }
bool extract_stored_expressions(std::istream& in) { return in.good(); }
bool extract_expression(std::istream&, std::string& out) { out = "0"; return false; }
bool extract_expression(scriptstream&, std::string& out) { out = "0"; return false; }
double extract_double(std::istream& in) { double d = 0; in >> d; return d; }
