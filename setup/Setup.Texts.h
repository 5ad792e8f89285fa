#pragma once
// What the window and the unattended run both say, and the client's name they both test.

inline constexpr char ClientMutexName[] = "OrvelKvelo_client";
inline constexpr char ClientRunningText[] =
    "Для установки обновления , необходимо завершить работу клиента Орвел Квело.";
inline constexpr char NotInstalledText[] = "Не удалось обнаружить установленную версию ОРВЕЛ Квело версии 7.0";
inline constexpr char RestoreLine[] = "Произвожу процесс восстановления данных.";
