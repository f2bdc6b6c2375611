#include "ui/samples.h"

namespace tapwell::ui {

const std::array<std::string, 16>& SampleRows() {
  static const std::array<std::string, 16> rows = {
      "Windowsの強制終了",
      "_Win_U_Enter_S_Enter!30_e!30_e!30_e!30_e!30_e!30_e!30_e!30_e#",
      "メモパッドサンプル",
      // Notepad, the input method on, vowels and letters with short waits, a
      // romanised test phrase, symbols with Shift held, convert and confirm, then
      // close without saving.
      "*notepad!5_kanji!1_a!0.2_i!0.2_u!0.2_e!0.2_o!0.2_k!0.2_a!0.2_s!0.2_a!0.2_t!0.2_a!1"
      "_t_e_s_u_t_o_d_e_s_u!1>shift_1_2_3_4<shift!1_conv!1_enter!2"
      "_alt!0.5_f!0.5_up!0.5_x!1_tab!0.5_n#",
      "メモパッドサンプル",
      "*notepad!5_kanji_k_a_i_t_e!1_conv!1_enter!2_ "
      "_k_e_s_i_t_e!1_conv!1_enter!2_bs!1_bs!1_bs!1_m_a_t_a_k_a_i_t_e!1"
      "_conv!1_enter!2#",
      "メモパッドサンプル（長め）",
      // The same with several converted sentences and a web address.
      "*notepad!5_kanji!1_a!0.2_i!0.2_u!0.2_e!0.2_o!0.2_k!0.2_a!0.2_s!0.2_a!0.2_t!0.2_a!1"
      "_t_e_s_u_t_o_d_e_s_u!1>shift_1_2_3_4<shift!1_conv!1_enter!2"
      "_k_o_n_n_n_i_t_i_h_a!1_conv!1_enter!1_k_y_o_u_h_a_i_i_t_e_n_k_i_d_e_s_u!1_conv!1_enter!1_enter!1"
      "_k_i_h_o_n_n_h_a_k_i_-_s_u_k_u_r_i_p_u_t_o_d_e_s_u!1_conv!1_enter!1_enter!1"
      "_m_a_t_a_a_s_i_t_a!1_conv!1_enter!1_enter!2_kanji!1"
      "\"http\"_:\"//www.example.com/\"!1_enter!2"
      "_alt!0.5_f!0.5_up!0.5_x!1_tab!0.5_n#",
      "ブラウザサンプル http://www.example.com/",
      // A browser by its program file name, the address key by key; no closing end.
      "*firefox!10_tab!0.5_w!0.1_w!0.1_w!0.1_.!0.1_e!0.1_x!0.1_a!0.1_m!0.1_p!0.1_l!0.1_e!0.1_.!0.1_c!0.1_o!0."
      "1_m"
      "!0.5_enter",
      "--- 個人用---",
      "メールチェック",
      // Another browser, its second tab, the mail check menu, the password.
      "*chromium!10>ctrl_2<ctrl!3_alt!0.5_f!0.5_m!2_p_a_caps_s_caps_s_w_o_r_d!0.5_enter#",
      "ルータログオン",
      "*chromium!10_tab_1!2_enter!3\"admin\"_tab\"password\"_tab_enter#",
      "",
  };
  return rows;
}

}  // namespace tapwell::ui
