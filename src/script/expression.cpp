#include "script/expression.h"

double evaluate_expression(int&, const char*) { return 0; }
double evaluate_expression(const char* text) { int p = 0; return evaluate_expression(p, text); }
bool evaluate_variable_name(int&, const int&, const char*, std::string&) { return false; }
bool evaluate_variable(std::string&, Term&) { return false; }
void push(const Term& term, std::vector<Term>& stack) { stack.push_back(term); }
