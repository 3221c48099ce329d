#include "script/functions.h"

std::map<std::string, std::unique_ptr<UserFunc>> user_funcs;
int deBoor2_interpX_debug = 0;

double Poly_func::operator()(double) { return 0; }
double Bezier_func::operator()(double) { return 0; }
double PolyFit_func::operator()(double) { return 0; }
double call_func(std::string, double) { return 0; }
bool store_user_func(const std::string&, scriptstream&) { return false; }
bool command_user_func(scriptstream&) { return false; }
bool bezier_curve(const std::vector<double>&, const double&, double&) { return false; }
bool polynomial_interp(const std::vector<double>&, const std::vector<double>&, const double&, double&, double&) { return false; }
bool rational_interp(const std::vector<double>&, const std::vector<double>&, const double&, double&, double&) { return false; }
bool deBoor2_interpX(const std::vector<double>&, const std::vector<double>&, int, const double&, double&, double&) { return false; }
void fit_bezier(std::vector<double>&, std::vector<double>&) {}
