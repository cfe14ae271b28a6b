#include "wind/wind_text_call.h"

namespace quor::wind {

WindTextQuery windTextQuery(const WindTextCall& c, bool buoyLayout) {
    WindTextQuery q;
    q.path = c.wind_textfile;
    q.station = c.station_nam;
    q.start = {c.startyr, c.startm, c.startd, c.starth};
    q.end = {c.endyr, c.endm, c.endd, c.endh};
    q.percent_wind = c.percent_wind;
    q.delimiter = c.delimiter;
    q.columns = {c.yearno, c.monthno, c.dayno, c.hourno, c.minuteno, c.windspdno, c.winddirno};
    q.lineno = c.lineno;
    q.buoyLayout = buoyLayout;
    return q;
}

WindTextCall windTextCall(const WindTextChoice& choice) {
    WindTextCall c;
    c.wind_textfile = choice.wind_textfile;
    c.delimiter = choice.delimiter;
    c.yearno = choice.year1;
    c.monthno = choice.month1;
    c.dayno = choice.day1;
    c.hourno = choice.hour1;
    c.minuteno = choice.minute1;
    c.windspdno = choice.windspd1;
    c.winddirno = choice.winddir1;
    c.lineno = choice.linenumber;
    return c;
}

WindTextResult wind_wv(WindAnalysisContext& ctx, const WindTextCall& call) {
    return wind_wv(ctx, windTextQuery(call, ctx.state.wind_webflag));
}

}  // namespace quor::wind
